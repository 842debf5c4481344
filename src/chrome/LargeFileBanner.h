#pragma once

#include <QWidget>
#include <optional>

class QLabel;

namespace dunmoss {

// Stands above the editor while the tab is a read-only preview of a large file: how large the
// file is and how much of it is shown. Passive; rebuilt from its two values.
class LargeFileBanner : public QWidget {
    Q_OBJECT
public:
    // The preview size the window passes.
    static constexpr qint64 kPreviewBytes = 2'000'000;

    explicit LargeFileBanner(QWidget* parent = nullptr);

    void setValues(std::optional<qint64> byteCount, qint64 previewBytes);
    QString message() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateSymbol();

    QLabel* m_symbol = nullptr;
    QLabel* m_message = nullptr;
};

} // namespace dunmoss
