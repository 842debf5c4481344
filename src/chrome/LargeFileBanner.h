#pragma once

#include <QWidget>
#include <optional>

class QLabel;

namespace dunmoss {

// Stands above the editor while the tab is read-only for what its file is: a preview of a large
// file (how large the file is and how much of it is shown), or a file of binary data. Passive;
// rebuilt from its values.
class LargeFileBanner : public QWidget {
    Q_OBJECT
public:
    // The preview size the window passes.
    static constexpr qint64 kPreviewBytes = 2'000'000;

    explicit LargeFileBanner(QWidget* parent = nullptr);

    void setValues(std::optional<qint64> byteCount, qint64 previewBytes);
    // Says that the file holds binary data, which is why it is shown read-only.
    void setBinary();
    QString message() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateSymbol();
    void setMessage(const QString& text, const QString& symbol);

    QLabel* m_symbol = nullptr;
    QLabel* m_message = nullptr;
    QString m_symbolName;
};

} // namespace dunmoss
