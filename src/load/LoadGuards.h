// Scope guards of the load side: the object server's long-operation bracket
// and a transaction that is cancelled unless it was committed, so that no
// way out of a step (an error the step does not expect included) leaves
// either open.
#pragma once

#include "ovx/ovx.h"

class CLongOperation {
public:
    explicit CLongOperation(ovx::Ptr<ovx::System> system) : m_system(std::move(system)) {
        m_system->BeginLongOperation(1000);
    }
    ~CLongOperation() {
        try {
            m_system->EndLongOperation();
        } catch (const ovx::Error&) {
        }
    }
    CLongOperation(const CLongOperation&) = delete;
    CLongOperation& operator=(const CLongOperation&) = delete;

private:
    ovx::Ptr<ovx::System> m_system;
};

class CLoadTransaction {
public:
    explicit CLoadTransaction(ovx::Ptr<ovx::System> system) : m_system(std::move(system)) {
        m_system->StartTransaction();
        m_open = true;
    }
    ~CLoadTransaction() {
        if (m_open) {
            try {
                m_system->CancelTransaction();
            } catch (const ovx::Error&) {
            }
        }
    }
    void Commit() {
        m_open = false;
        m_system->CommitTransaction();
    }
    void Cancel() {
        m_open = false;
        m_system->CancelTransaction();
    }
    CLoadTransaction(const CLoadTransaction&) = delete;
    CLoadTransaction& operator=(const CLoadTransaction&) = delete;

private:
    ovx::Ptr<ovx::System> m_system;
    bool m_open = false;
};
