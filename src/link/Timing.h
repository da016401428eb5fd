#pragma once

namespace q5n {

// Every pause and time-out of the device link, named once. The program uses
// the defaults; tests may shorten them, each time-out path keeping one test at
// the real interval.
struct Timing
{
    int tokenTickMs = 150;               // keyboard handshake: token repeat interval
    int tokenTicks = 15;                 // token sent on ticks 1..15, the 16th ends the handshake
    int keyboardBytePauseMs = 4;         // after each byte written to the keyboard port (link window)
    int memoryTokenPauseMs = 2;          // after each memory-token byte
    int afterHandshakeMs = 20;           // between a download handshake and its first data byte
    int longPauseMs = 200;               // the memory and test windows' longer pause
    int downloadAnswerMs = 3000;         // RS232 download: wait for the acknowledge byte
    int keyboardDownloadAnswerMs = 1000; // keyboard download: wait for "P"
    int uploadReplyMs = 7000;            // RS232 upload reply
    int keyboardTextMs = 5000;           // keyboard upload text, memory text
    int memoryAnswerMs = 3000;           // RS232 memory: wait for each read block, and for the clear answer
    int probeFirstByteMs = 200;          // looking for a decoder: the first byte of its answer at a rate
};

} // namespace q5n
