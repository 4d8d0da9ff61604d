#pragma once

// What the benchmarks share: a failure that ends the run, a script of numbered lines,
// the processor time used, and a load on both cores.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "FAILED: %s\n", what);
    std::exit(1);
}

inline QString script(int lines)
{
    const QString text = QStringLiteral("Good evening and welcome to the Riverside Community Hour.");
    QStringList out;
    for (int i = 0; i < lines; ++i)
        out << QStringLiteral("%1 %2").arg(i).arg(text);
    return out.join(QLatin1Char('\n'));
}

inline double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Two processes that keep both cores busy while they live.
class Load
{
public:
    explicit Load(bool on)
    {
        for (int i = 0; on && i < 2; ++i) {
            auto *p = new QProcess;
            p->setStandardOutputFile(QProcess::nullDevice());
            p->start(QStringLiteral("yes"), {});
            m_processes.push_back(p);
        }
    }
    ~Load()
    {
        for (QProcess *p : m_processes) {
            p->kill();
            p->waitForFinished();
            delete p;
        }
    }

private:
    std::vector<QProcess *> m_processes;
};
