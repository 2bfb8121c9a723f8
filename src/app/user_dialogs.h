#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace korvane {

/// The message boxes and file dialogs the window needs, behind one seam so that tests can
/// answer them by script.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    /// The information box with one OK button (a refused NC line).
    virtual void ShowInformation(QWidget *parent, const QString &text) = 0;
    /// The box of the check's warnings after a rewrite, with one OK button. By default the
    /// information box.
    virtual void ShowWarning(QWidget *parent, const QString &text)
    {
        ShowInformation(parent, text);
    }
    /// The standard error box: the text as given (the caller appends the full stop).
    virtual void ShowError(QWidget *parent, const QString &text) = 0;
    /// The overwrite question: false only for the answer No (or Escape); closing the box in
    /// any other way counts as Yes.
    virtual bool ConfirmOverwrite(QWidget *parent, const QString &text) = 0;
    /// The open and save dialogs, with a filter in Qt's form and the name to show first.
    /// std::nullopt when the user cancels.
    virtual std::optional<QString> ChooseOpenFile(QWidget *parent, const QString &filter,
                                                  const QString &lastName) = 0;
    virtual std::optional<QString> ChooseSaveFile(QWidget *parent, const QString &filter,
                                                  const QString &lastName) = 0;
};

/// The real dialogs: QMessageBox and QFileDialog.
class QtUserDialogs : public UserDialogs {
public:
    void ShowInformation(QWidget *parent, const QString &text) override;
    void ShowWarning(QWidget *parent, const QString &text) override;
    void ShowError(QWidget *parent, const QString &text) override;
    bool ConfirmOverwrite(QWidget *parent, const QString &text) override;
    std::optional<QString> ChooseOpenFile(QWidget *parent, const QString &filter,
                                          const QString &lastName) override;
    std::optional<QString> ChooseSaveFile(QWidget *parent, const QString &filter,
                                          const QString &lastName) override;
};

} // namespace korvane
