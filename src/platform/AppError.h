// The one error type of KeyCask: a number and a description, thrown where an operation fails
// and caught by the code that reports failures to the user.
#pragma once

#include <QString>
#include <exception>
#include <string>

class AppError : public std::exception
{
public:
    AppError(long number, QString description);

    long Number() const { return m_number; }
    const QString& Description() const { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }
    // A failure the user has been told of and has answered: shown to no one again.
    bool Told() const { return m_told; }
    void setTold() { m_told = true; }

    // Numbers used across the program for errors it raises itself.
    static constexpr long TypeMismatch = 13;
    static constexpr long SubscriptOutOfRange = 9;
    static constexpr long ObjectRequired = 424;
    static constexpr long InvalidProcedureCall = 5;
    static constexpr long FileError = 75;
    // A change that was not made: no backup could be made first, or the data file was replaced
    // by one that the session cannot write. Never worth a second attempt.
    static constexpr long ChangeRefused = 3001;

private:
    long m_number;
    QString m_description;
    std::string m_what;
    bool m_told = false;
};
