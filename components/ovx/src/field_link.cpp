#include "field_link.h"

#include <mutex>

namespace ovx::detail {
namespace {
std::mutex& FactoryMutex() {
    static std::mutex m;
    return m;
}
FieldLinkFactory& Factory() {
#ifdef OVX_HAVE_VQFIELD
    static FieldLinkFactory f = VqFieldLinkFactory();
#else
    static FieldLinkFactory f;
#endif
    return f;
}
}  // namespace

void SetFieldLinkFactory(FieldLinkFactory factory) {
    std::lock_guard lock(FactoryMutex());
    Factory() = std::move(factory);
}

#ifndef OVX_HAVE_VQFIELD
void PrepareInProcessField(const std::string&, const std::string&) {}
#endif

FieldLinkFactory GetFieldLinkFactory() {
    std::lock_guard lock(FactoryMutex());
    return Factory();
}

}  // namespace ovx::detail
