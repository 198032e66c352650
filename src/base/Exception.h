#pragma once

#include <stdexcept>
#include <string>

namespace ws {

// Root of the system's exception classes. Every failure the program reports carries a class
// name (shown by the start-up error box) and a message (shown by the error reports).
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_Message(std::move(message)) {}

    const char* what() const noexcept override { return m_Message.c_str(); }
    const std::string& Message() const noexcept { return m_Message; }
    virtual const char* ClassName() const noexcept { return "Exception"; }

protected:
    std::string m_Message;
};

// Declares a subclass that only changes the class name.
#define WS_DECLARE_EXCEPTION(Name, Base)                                                               \
    class Name : public Base {                                                                         \
    public:                                                                                            \
        using Base::Base;                                                                              \
        const char* ClassName() const noexcept override { return #Name; }                              \
    };

WS_DECLARE_EXCEPTION(EConvertError, Exception)
WS_DECLARE_EXCEPTION(EInvalidOperation, Exception)
WS_DECLARE_EXCEPTION(EOSError, Exception)

} // namespace ws
