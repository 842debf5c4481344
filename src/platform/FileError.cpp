#include "platform/FileError.h"

#include "platform/Localization.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace dunmoss {

FileError::FileError(FileErrorCode code, QString path, QString systemMessage)
    : m_code(code), m_path(std::move(path)), m_systemMessage(std::move(systemMessage)) {
    m_what = "file error " + std::to_string(static_cast<int>(code));
    if (!m_path.isEmpty())
        m_what += " (" + m_path.toStdString() + ")";
}

QString FileError::localizedDescription() const {
    const QString key = QStringLiteral("error.file.%1.format").arg(numericCode());
    QString format = localizedString(key);
    if (format == key)
        format = localizedString(QStringLiteral("error.file.generic.format"));
    const QString name = m_path.isEmpty() ? QString() : QFileInfo(m_path).fileName();
    QString text =
        format.arg(name.isEmpty() ? localizedString(QStringLiteral("error.file.unnamed")) : name);
    if (!m_systemMessage.isEmpty())
        text += QStringLiteral(" (%1)").arg(m_systemMessage);
    return text;
}

FileError FileError::fromErrno(int errnoValue, const QString& path, bool writing) {
    const QString message = QString::fromLocal8Bit(std::strerror(errnoValue));
    FileErrorCode code = writing ? FileErrorCode::FileWriteUnknown : FileErrorCode::FileReadUnknown;
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
        code = writing ? FileErrorCode::FileNoSuchFile : FileErrorCode::FileReadNoSuchFile;
        break;
    case EACCES:
    case EPERM:
        code = writing ? FileErrorCode::FileWriteNoPermission : FileErrorCode::FileReadNoPermission;
        break;
    case ENAMETOOLONG:
        code = writing ? FileErrorCode::FileWriteInvalidFileName
                       : FileErrorCode::FileReadInvalidFileName;
        break;
    case ENOSPC:
    case EDQUOT:
        code = writing ? FileErrorCode::FileWriteOutOfSpace : FileErrorCode::FileReadUnknown;
        break;
    case EROFS:
        code = writing ? FileErrorCode::FileWriteVolumeReadOnly : FileErrorCode::FileReadUnknown;
        break;
    case EFBIG:
        code = writing ? FileErrorCode::FileWriteOutOfSpace : FileErrorCode::FileReadTooLarge;
        break;
    default:
        break;
    }
    return FileError(code, path, message);
}

} // namespace dunmoss
