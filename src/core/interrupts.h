#pragma once

#include <QObject>

class Job;
class QSocketNotifier;

// While it lives, SIGINT, SIGTERM and SIGHUP no longer end the process: the first one is
// announced by `interrupted` on the thread that created the object (through a self-pipe, so
// the handler itself only writes a byte), and the program can cancel its work and clean up.
// A second signal ends the process at once. Only one may exist at a time.
class Interrupts : public QObject
{
    Q_OBJECT
  public:
    explicit Interrupts(QObject* parent = nullptr);
    // Puts the earlier handlers back.
    ~Interrupts() override;

    // Work running on this object's own thread hears no `interrupted` until it returns: the first
    // signal also sets `job`'s cancel flag, from the handler. The job must outlive this object.
    void cancelOnSignal(Job& job);

    // The first signal received since any Interrupts was created, 0 while there was none.
    static int received();

    // Ends the process by `signal` with the signal's default action, so that a waiting shell
    // sees an interrupted command (status 128 + signal) and a script stops as well.
    [[noreturn]] static void endBy(int signal);

  signals:
    void interrupted(int signal);

  private:
    QSocketNotifier* m_notifier = nullptr;
};
