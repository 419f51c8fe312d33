/* Runs a command and ends only when every process it started has ended:
 * processes that outlive their parents come to this one (a subreaper) and are
 * waited for too, so that a command cannot look faster by leaving work to a
 * background process. Ends as the command did: with its exit status, or by
 * the signal that ended it. */
#define _GNU_SOURCE
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: reaper COMMAND [ARGUMENT]...\n");
        return 2;
    }
    if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        perror("reaper: prctl");
        return 2;
    }
    const pid_t command = fork();
    if (command < 0) {
        perror("reaper: fork");
        return 2;
    }
    if (command == 0) {
        execvp(argv[1], argv + 1);
        perror(argv[1]);
        _exit(127);
    }
    int result = 0;
    for (;;) {
        int status = 0;
        const pid_t ended = wait(&status);
        if (ended < 0) {
            if (errno == EINTR) continue;
            break; /* ECHILD: nothing left */
        }
        if (ended == command) result = status;
    }
    if (WIFSIGNALED(result)) {
        const struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        signal(WTERMSIG(result), SIG_DFL);
        raise(WTERMSIG(result));
    }
    return WIFEXITED(result) ? WEXITSTATUS(result) : 1;
}
