#pragma once

#include <QStringList>
#include <functional>

#include <sys/types.h>

// What an ordinary user would meet, tested even where the suite runs as
// root, for whom device modes and exclusive opens do not count: the user is
// then nobody.

// The command line that runs program as the ordinary user.
QStringList AsOrdinaryUser(const QString &program, const QStringList &arguments);

// Runs body in a child process as the ordinary user and returns its PID at
// once; the child ends with body's result and nothing of the test's own runs
// at its exit. body uses system calls and plain data only: the child is a
// copy of a Qt program whose event loop is not its own.
pid_t ForkAsOrdinaryUser(const std::function<int()> &body);

// The exit status of such a child within timeoutMs; -1 when it did not exit
// normally or had to be killed.
int WaitForChild(pid_t child, int timeoutMs = 5000);

// Makes this whole process the ordinary user; false when that fails.
bool BecomeOrdinaryUser();
