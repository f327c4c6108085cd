// The one error type of KeyCask: a number and a description.
#include "platform/AppError.h"

AppError::AppError(long number, QString description)
    : m_number(number), m_description(std::move(description)), m_what(m_description.toStdString())
{
}
