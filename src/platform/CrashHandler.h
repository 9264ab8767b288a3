// Reports of fatal failures: a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) or an exception
// nobody caught writes a report with a backtrace into a file opened at installation, tells stderr where
// it is, and lets the process die as it would have. The program offers reports left by earlier runs on
// its next start; after an uncaught exception, where ordinary code may still run, a hook is told at once.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// "<user's cache folder>/Atelier/crash", or a folder below the temporary folder without one.
QString DefaultCrashReportFolder();

// Installs the handlers and opens this run's report file (removed again at a clean exit when nothing was
// written). Title heads every report ("Atelier 1.2.3.4"). Returns false when the report file cannot be
// created; the handlers then still tell stderr what happened. Call early, before other threads start.
bool InstallCrashHandler(const QString& Title, const QString& ReportFolder = DefaultCrashReportFolder());
// Restores the previous handlers and removes an empty report file. Also run at exit.
void UninstallCrashHandler();

// This run's report file; empty when none is open.
QString CrashReportFileName();

// Called with the report's file name and a one-line description after an uncaught exception was
// reported, before the process ends. Never called for signals, where only async-signal-safe work is
// allowed. Exceptions of the hook are swallowed.
using TCrashReportHook = std::function<void(const QString& ReportFileName, const QString& What)>;
void SetCrashReportHook(TCrashReportHook Hook);

// Reports earlier runs left in the folder and nobody has dismissed yet, oldest first.
QStringList PendingCrashReports(const QString& ReportFolder = DefaultCrashReportFolder());
// Keeps the report but stops offering it.
void DismissCrashReport(const QString& ReportFileName);
