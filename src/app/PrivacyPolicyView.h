#pragma once

#include <QDialog>

namespace dunmoss {

// The privacy statement as a 600 by 540 sheet of the settings window: a fixed header with the
// title and Done (the default button, so Return closes it), then the statement scrolling below.
// The wording lives in the localisation tables.
class PrivacyPolicyView : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 540;

    explicit PrivacyPolicyView(QWidget* parent = nullptr);
};

} // namespace dunmoss
