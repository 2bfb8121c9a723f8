#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <chrono>
#include <future>
#include <memory>
#include <type_traits>
#include <utility>

#include "app/user_dialogs.h"

class QProgressDialog;
class QWidget;

namespace korvane {

/// Keeps a window alive while one of its commands runs: the wait cursor shows, the window
/// repaints, and user input that arrives meanwhile is discarded, never queued for later (a
/// second click on a button does not run its command again). A command that runs longer than
/// half a second gets a progress indication.
class BusyState : public QObject {
public:
    /// `window` is where the progress indication shows, under the caption `title`.
    BusyState(QWidget &window, const QString &title);
    ~BusyState() override;

    /// True while a command runs and no dialog has paused the state.
    bool Active() const { return m_depth > 0 && m_paused == 0; }

    /// Marks one command; nested scopes count as one. At the end of the outermost one the
    /// input that arrived meanwhile is discarded and the cursor restored.
    class Scope {
    public:
        explicit Scope(BusyState &state) : m_state(state) { m_state.Begin(); }
        ~Scope() { m_state.End(); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        BusyState &m_state;
    };

    /// Lets input through and restores the cursor, for a dialog the user must answer.
    class Pause {
    public:
        explicit Pause(BusyState &state);
        ~Pause();
        Pause(const Pause &) = delete;
        Pause &operator=(const Pause &) = delete;

    private:
        BusyState &m_state;
    };

    /// Processes the window's pending events (paints, timers) with user input discarded, and
    /// shows or advances the progress indication; `percent` < 0 when the share done is unknown.
    void KeepAlive(int percent = -1);

    /// Runs `work` on another thread while the window is kept alive; returns its result or
    /// rethrows what it threw. `work` must not touch widgets.
    template <typename Work> std::invoke_result_t<Work &> RunBeside(Work &&work)
    {
        auto result = std::async(std::launch::async, std::forward<Work>(work));
        do
            KeepAlive();
        while (result.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready);
        return result.get();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Begin();
    void End();
    void ShowCursor(bool busy);

    QWidget &m_window;
    QString m_title;
    int m_depth = 0;
    int m_paused = 0;
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_progress;
};

/// Other dialogs, each shown with a busy state paused, so that the user can answer it.
class PausingDialogs : public UserDialogs {
public:
    PausingDialogs(UserDialogs &dialogs, BusyState &busy) : m_dialogs(dialogs), m_busy(busy) {}

    void ShowInformation(QWidget *parent, const QString &text) override;
    void ShowWarning(QWidget *parent, const QString &text) override;
    void ShowError(QWidget *parent, const QString &text) override;
    bool ConfirmOverwrite(QWidget *parent, const QString &text) override;
    std::optional<QString> ChooseOpenFile(QWidget *parent, const QString &filter,
                                          const QString &lastName) override;
    std::optional<QString> ChooseSaveFile(QWidget *parent, const QString &filter,
                                          const QString &lastName) override;

private:
    UserDialogs &m_dialogs;
    BusyState &m_busy;
};

} // namespace korvane
