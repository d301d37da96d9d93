// The vqsim daemon's listener: serves one field on 127.0.0.1.
#pragma once

#include <memory>

#include "vqfield/field.h"

namespace vqfield {

class Server {
public:
    // port 0 picks a free port. Throws FieldError when it cannot listen.
    Server(std::shared_ptr<Field> field, int port);
    ~Server();  // stops listening, cancels running requests and closes every connection
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int port() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vqfield
