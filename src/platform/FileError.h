#pragma once

#include <QString>
#include <exception>
#include <string>

namespace dunmoss {

// Numeric codes of file errors; the values are the ones stored and compared across the
// program, so they never change.
enum class FileErrorCode : int {
    FileNoSuchFile = 4,
    FileReadUnknown = 256,
    FileReadNoPermission = 257,
    FileReadInvalidFileName = 258,
    FileReadCorruptFile = 259,
    FileReadNoSuchFile = 260,
    FileReadInapplicableStringEncoding = 261,
    FileReadUnsupportedScheme = 262,
    FileReadTooLarge = 263,
    FileReadUnknownStringEncoding = 264,
    FileWriteUnknown = 512,
    FileWriteNoPermission = 513,
    FileWriteInvalidFileName = 514,
    FileWriteFileExists = 516,
    FileWriteInapplicableStringEncoding = 517,
    FileWriteOutOfSpace = 640,
    FileWriteVolumeReadOnly = 642,
};

// A failed file or conversion operation: a code, the path involved (may be empty) and, for
// errors raised by the operating system, its own wording.
class FileError : public std::exception {
public:
    FileError(FileErrorCode code, QString path = {}, QString systemMessage = {});

    FileErrorCode code() const { return m_code; }
    int numericCode() const { return static_cast<int>(m_code); }
    const QString& path() const { return m_path; }
    const QString& systemMessage() const { return m_systemMessage; }

    // The text shown to the user, in the interface language.
    QString localizedDescription() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    // Maps an errno value of a failed read or write to the matching error.
    static FileError fromErrno(int errnoValue, const QString& path, bool writing);

private:
    FileErrorCode m_code;
    QString m_path;
    QString m_systemMessage;
    std::string m_what;
};

} // namespace dunmoss
