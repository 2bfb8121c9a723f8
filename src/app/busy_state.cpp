#include "app/busy_state.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QProgressDialog>

namespace korvane {
namespace {

// A command that runs longer than this shows its progress.
constexpr qint64 kProgressAfterMs = 500;

bool IsUserInput(const QEvent &event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

BusyState::BusyState(QWidget &window, const QString &title) : m_window(window), m_title(title) {}

BusyState::~BusyState() = default;

BusyState::Pause::Pause(BusyState &state) : m_state(state)
{
    if (m_state.m_paused++ == 0 && m_state.m_depth > 0) {
        m_state.ShowCursor(false);
        if (m_state.m_progress)
            m_state.m_progress->hide();
    }
}

BusyState::Pause::~Pause()
{
    if (--m_state.m_paused == 0 && m_state.m_depth > 0) {
        m_state.ShowCursor(true);
        // Time spent answering a dialog is not time the command took.
        m_state.m_clock.restart();
    }
}

void BusyState::Begin()
{
    if (m_depth++ > 0)
        return;
    m_clock.start();
    qApp->installEventFilter(this);
    if (m_paused == 0)
        ShowCursor(true);
    KeepAlive();
}

void BusyState::End()
{
    if (--m_depth > 0)
        return;
    // What arrived while the command ran is still queued: it goes now, unseen.
    ++m_depth;
    QCoreApplication::processEvents();
    --m_depth;
    qApp->removeEventFilter(this);
    m_progress.reset();
    if (m_paused == 0)
        ShowCursor(false);
}

void BusyState::KeepAlive(int percent)
{
    if (m_depth == 0)
        return;
    if (!m_progress && m_paused == 0 && m_clock.elapsed() >= kProgressAfterMs) {
        m_progress = std::make_unique<QProgressDialog>(&m_window);
        m_progress->setWindowTitle(m_title);
        m_progress->setLabelText(QStringLiteral("処理中です..."));
        m_progress->setCancelButton(nullptr);
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(0);
        m_progress->setAutoReset(false);
        m_progress->setAutoClose(false);
        m_progress->setRange(0, 0);
        m_progress->show();
    }
    if (m_progress) {
        if (percent >= 0 && m_progress->maximum() == 0)
            m_progress->setRange(0, 100);
        if (percent >= 0)
            m_progress->setValue(percent);
    }
    QCoreApplication::processEvents();
}

bool BusyState::eventFilter(QObject *watched, QEvent *event)
{
    if (Active() && IsUserInput(*event))
        return true;
    return QObject::eventFilter(watched, event);
}

void BusyState::ShowCursor(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void PausingDialogs::ShowInformation(QWidget *parent, const QString &text)
{
    BusyState::Pause pause(m_busy);
    m_dialogs.ShowInformation(parent, text);
}

void PausingDialogs::ShowWarning(QWidget *parent, const QString &text)
{
    BusyState::Pause pause(m_busy);
    m_dialogs.ShowWarning(parent, text);
}

void PausingDialogs::ShowError(QWidget *parent, const QString &text)
{
    BusyState::Pause pause(m_busy);
    m_dialogs.ShowError(parent, text);
}

bool PausingDialogs::ConfirmOverwrite(QWidget *parent, const QString &text)
{
    BusyState::Pause pause(m_busy);
    return m_dialogs.ConfirmOverwrite(parent, text);
}

std::optional<QString> PausingDialogs::ChooseOpenFile(QWidget *parent, const QString &filter,
                                                      const QString &lastName)
{
    BusyState::Pause pause(m_busy);
    return m_dialogs.ChooseOpenFile(parent, filter, lastName);
}

std::optional<QString> PausingDialogs::ChooseSaveFile(QWidget *parent, const QString &filter,
                                                      const QString &lastName)
{
    BusyState::Pause pause(m_busy);
    return m_dialogs.ChooseSaveFile(parent, filter, lastName);
}

} // namespace korvane
