#pragma once
// The program's one runtime exception: thrown by value wherever a cycle
// cannot go on, caught by the control loop, which reports it and carries on.

#include <exception>
#include <string>

class ClientException : public std::exception {
public:
    explicit ClientException(const std::string& what) : mWhat(what) {}
    ~ClientException() override = default;
    const char* what() const noexcept override { return mWhat.c_str(); }

private:
    std::string mWhat;
};
