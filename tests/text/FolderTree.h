#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss::test {

// A temporary folder tree for the folder engines' tests: files are created with exact bytes at
// "/"-separated paths below the root, with their folders.
class FolderTree {
public:
    QString root() const { return m_dir.path(); }
    QUrl rootURL() const { return QUrl::fromLocalFile(root()); }
    QString path(const QString& relative) const { return root() + u'/' + relative; }
    QUrl url(const QString& relative) const { return QUrl::fromLocalFile(path(relative)); }

    QString write(const QString& relative, const QByteArray& bytes) const {
        const QString full = path(relative);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(full);
        EXPECT_EQ(file.write(bytes), bytes.size());
        return full;
    }

    void mkdir(const QString& relative) const { EXPECT_TRUE(QDir().mkpath(path(relative))); }

    // A file at a native relative path, whose names need not be valid UTF-8; its folders are
    // made as well.
    void writeNative(const QByteArray& relative, const QByteArray& bytes) const {
        QByteArray at = QFile::encodeName(root());
        const QList<QByteArray> names = relative.split('/');
        for (qsizetype i = 0; i + 1 < names.size(); ++i) {
            at += '/' + names[i];
            ::mkdir(at.constData(), 0755);
        }
        at += '/' + names.last();
        FILE* file = std::fopen(at.constData(), "wb");
        ASSERT_TRUE(file) << at.constData();
        EXPECT_EQ(std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file),
                  size_t(bytes.size()));
        std::fclose(file);
    }

    // A link at `relative` pointing at `target` (an absolute path or one relative to the link).
    void symlink(const QString& target, const QString& relative) const {
        QDir().mkpath(QFileInfo(path(relative)).path());
        EXPECT_EQ(::symlink(QFile::encodeName(target).constData(),
                            QFile::encodeName(path(relative)).constData()),
                  0);
    }

    QByteArray read(const QString& relative) const { return readPath(path(relative)); }

    static QByteArray readPath(const QString& full) {
        QFile file(full);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // Every entry below the root, hidden ones included, as sorted relative paths.
    QStringList allEntries() const {
        QStringList found;
        collect(root(), QString(), found);
        found.sort();
        return found;
    }

private:
    static void collect(const QString& folder, const QString& prefix, QStringList& found) {
        const QFileInfoList entries = QDir(folder).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries) {
            const QString relative = prefix + entry.fileName();
            found.append(relative);
            if (entry.isDir() && !entry.isSymLink())
                collect(entry.filePath(), relative + u'/', found);
        }
    }

    QTemporaryDir m_dir;
};

} // namespace dunmoss::test
