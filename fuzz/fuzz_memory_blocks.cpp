// Feeds arbitrary bytes to the memory read reassembly, 65 bytes per block,
// with the program's own handling of each outcome: the buffer never holds
// more than its room and every block gets one of the three answers.
#include "protocol/Memory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace q5n;
    const QByteArray all(reinterpret_cast<const char *>(data), int(size));
    MemoryReassembler reassembler;
    for (int at = 0, blocks = 0; at < all.size() && blocks < kMemoryMaxBlocks; at += kMemoryBlockSize, ++blocks) {
        // Re-seal each block's check byte half of the time so the records get exercised.
        QByteArray block = all.mid(at, kMemoryBlockSize);
        if (block.size() == kMemoryBlockSize && (quint8(block[0]) & 1)) {
            quint8 check = 0;
            for (int i = 0; i < kMemoryBlockData; ++i)
                check ^= quint8(block[i]);
            block[kMemoryBlockData] = char(check);
        }
        const MemoryBlockOutcome o = reassembler.takeBlock(block);
        if (reassembler.fill() > kMemoryBufferSize)
            std::abort();
        for (const QByteArray &line : o.lines)
            if (line.size() > 253)
                std::abort();
        (void)memoryLinesText(o.lines);
        const char answer = memoryBlockAnswer(o.result);
        if (answer != 'S' && answer != 'P' && answer != 'E')
            std::abort();
        if (o.result != MemoryBlockResult::Taken)
            break;
    }
    return 0;
}
