// Errors of the VQ field. Every failing field call throws FieldError with a
// code and a text; the object server maps the codes onto its own.
#pragma once

#include <stdexcept>
#include <string>

namespace vqfield {

enum class Code {
    InterfaceNoAnswer = 1,  // the field endpoint cannot be reached, or the connection died
    NoAnswer = 2,           // the unit did not answer in time
    Refused = 3,            // the unit refused the request or the data it was sent
    Busy = 4,               // the unit is busy, try again
    Aborted = 5,            // cancelled by the caller, or the link dropped mid-transfer
    NotFound = 6,           // no unit with that Sarvik ID, no such transfer
    BadValue = 7,           // malformed argument
};

const char* CodeName(Code code);
bool CodeFromName(const std::string& name, Code* out);

class FieldError : public std::runtime_error {
public:
    FieldError(Code code, const std::string& description) : std::runtime_error(description), code_(code) {}
    Code code() const noexcept { return code_; }

private:
    Code code_;
};

}  // namespace vqfield
