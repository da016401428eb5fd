#pragma once

// Thousands of exchanges with the decoder simulator on a real pseudo-terminal,
// its fault switched at random, each outcome checked against the one its
// fault calls for, and what the process holds (descriptors, resident memory,
// threads) taken before and after. Shared by the soak benchmark and its
// shorter run in the test suite.

#include "link/LinkExchange.h"
#include "sim/DecoderModel.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace q5n::soak {

// What the process holds at one moment.
struct ProcessFigures
{
    int descriptors = 0;           // entries of /proc/self/fd
    QStringList descriptorTargets; // what each one is open on
    qint64 rssKiB = 0;             // VmRSS of /proc/self/status
    int threads = 0;               // Threads of /proc/self/status
    // The allocator's view: what the program's objects take, and what the
    // allocator holds from the system for them (the difference is free
    // space it keeps). The C library counts the freed blocks its per-thread
    // caches keep for reuse as in use: up to a few hundred KiB, filled once
    // as a run frees blocks of every size.
    qint64 heapInUseKiB = 0;
    qint64 heapHeldKiB = 0;
};
ProcessFigures processFigures();

// The exchanges of a soak: what the engine runs, and what a user starts with
// the link windows' buttons.
enum class Exchange { Download, DownloadNoSave, Upload, Version, ReadMemory, ClearMemory };
QString exchangeName(Exchange exchange);

// One setting of the simulated decoder: a line fault, or a fault in a block
// of a memory read (the line otherwise well).
struct FaultSetting
{
    sim::Fault fault = sim::Fault::None;
    sim::MemoryFault memoryFault = sim::MemoryFault::None;
    QString name() const;
};

// Every setting a soak switches among: every line fault the simulator names,
// then every memory fault. A line fault without an expected outcome is listed
// in `unknown` (and left out), so that a fault added to the simulator is not
// soaked unnoticed.
QList<FaultSetting> faultSettings(QStringList *unknown = nullptr);

// How `exchange` ends over RS232 against a decoder with `setting`.
LinkResult expectedResult(Exchange exchange, const FaultSetting &setting);

struct Options
{
    int exchanges = 1000;
    quint32 seed = 1;
    // Every answer time-out of the engine (download, upload, memory): the
    // simulator answers at once, so only the silent faults wait this long.
    int timeOutMs = 100;
    // A wrong outcome comes with the simulator's last lines of log.
    bool simulatorLog = false;
    // Called with each wrong outcome as it happens (besides the list).
    std::function<void(const QString &)> onWrong;
};

struct Result
{
    ProcessFigures before, after;
    ProcessFigures halfway; // after half the exchanges
    // The windows' run: the figures after, once Qt's pixmap cache is emptied.
    bool pixmapCache = false;
    ProcessFigures afterCacheEmptied;
    int exchanges = 0;
    int warmUp = 0; // exchanges run before the first figures
    QStringList wrong;
    // Garbage that passed an upload reply's check, as it can on a real line.
    QStringList byChance;
    qint64 elapsedMs = 0;
    QStringList unknownFaults;
};

// Runs the exchanges through the link engine alone.
Result soakEngine(const Options &options);
// Runs them through the Transmit and memory windows of a main window, each
// button pressed with the mouse or, with the focus on it, the space bar, and
// the boxes answered as a user would (now and then Cancel to a question).
Result soakWindows(const Options &options);

// The figures of a run as lines of text, with the goals beside them
// (descriptors and threads equal, RSS growth under 1 MiB per 10,000
// exchanges, no wrong outcome).
QStringList figuresText(const Result &result);

} // namespace q5n::soak
