#pragma once

#include <QProcess>

namespace ombrix::test {

/**
 * @brief A child process in a process group of its own, so that what it starts (the X server and
 *        the program under xvfb-run) ends with it. Signalling only the child would leave those
 *        running after the test.
 *
 * The destructor ends whatever of the group still runs, also when the test failed early.
 */
class GroupProcess : public QProcess {
public:
    GroupProcess();
    ~GroupProcess() override;

    /// Sends SIGTERM to the whole group (as the end of a session does) and waits up to
    /// @p limitMs for every member to end; what is left then is killed.
    void endGroup(int limitMs = 15000);

private:
    qint64 group_ = 0;
};

}  // namespace ombrix::test
