#include "app/user_dialogs.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace korvane {
namespace {

// The caption of the information and error boxes: the application's title. (The display
// name of QGuiApplication is not used for it, as Qt would append it to the window caption.)
QString AppTitle()
{
    return QStringLiteral("NC Korvane");
}

// Escape answers No, but closing the box by its frame counts as consent.
class OverwriteBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool closedByFrame() const { return m_closedByFrame; }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        m_closedByFrame = true;
        QMessageBox::closeEvent(event);
    }

private:
    bool m_closedByFrame = false;
};

std::optional<QString> RunFileDialog(QWidget *parent, QFileDialog::AcceptMode mode,
                                     const QString &filter, const QString &lastName)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // Open takes a name that does not exist too: reading it then reports the failure.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Qt's own dialog everywhere: a desktop's native one may refuse a name that does not exist.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(filter);
    if (!lastName.isEmpty())
        dialog.selectFile(lastName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtUserDialogs::ShowInformation(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, AppTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

void QtUserDialogs::ShowWarning(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, AppTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

void QtUserDialogs::ShowError(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, AppTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtUserDialogs::ConfirmOverwrite(QWidget *parent, const QString &text)
{
    OverwriteBox box(QMessageBox::Question, QStringLiteral("確認"), text, QMessageBox::NoButton,
                     parent);
    QPushButton *yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.closedByFrame() || box.clickedButton() != no;
}

std::optional<QString> QtUserDialogs::ChooseOpenFile(QWidget *parent, const QString &filter,
                                                     const QString &lastName)
{
    return RunFileDialog(parent, QFileDialog::AcceptOpen, filter, lastName);
}

std::optional<QString> QtUserDialogs::ChooseSaveFile(QWidget *parent, const QString &filter,
                                                     const QString &lastName)
{
    return RunFileDialog(parent, QFileDialog::AcceptSave, filter, lastName);
}

} // namespace korvane
