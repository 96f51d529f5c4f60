#include "core/interrupts.h"

#include "core/job.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int handled[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> firstSignal{0};
std::atomic<int> wakeFd{-1};
std::atomic<Job*> signalledJob{nullptr};
struct sigaction earlier[std::size(handled)];

void onSignal(int signal)
{
    int expected = 0;
    if (!firstSignal.compare_exchange_strong(expected, signal)) {
        // Asked twice: the user will not wait for the clean-up.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    if (Job* job = signalledJob.load()) job->cancelFromSignal();
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a wake-up, so a failed write loses nothing.
    if (const int fd = wakeFd.load(); fd >= 0 && ::write(fd, &byte, 1) < 0) {
    }
    errno = saved;
}

} // namespace

Interrupts::Interrupts(QObject* parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeFd.store(fds[1]);
    m_notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        if (::read(int(m_notifier->socket()), &byte, 1) == 1) emit interrupted(byte);
    });
    for (size_t i = 0; i < std::size(handled); ++i) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(handled[i], &action, &earlier[i]);
    }
}

Interrupts::~Interrupts()
{
    signalledJob.store(nullptr);
    if (!m_notifier) return;
    for (size_t i = 0; i < std::size(handled); ++i)
        ::sigaction(handled[i], &earlier[i], nullptr);
    ::close(wakeFd.exchange(-1));
    const int readEnd = int(m_notifier->socket());
    delete m_notifier;
    ::close(readEnd);
}

void Interrupts::cancelOnSignal(Job& job)
{
    signalledJob.store(&job);
    if (received()) job.cancelFromSignal(); // a signal before this call
}

int Interrupts::received()
{
    return firstSignal.load();
}

void Interrupts::endBy(int signal)
{
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal); // not reached for the signals handled here
}
