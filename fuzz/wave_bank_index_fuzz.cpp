// Voice bank index and data files from untrusted bytes: the first two bytes
// give the index length, then the index bytes (used as the base bank's
// in-memory index and the extended bank's on-disk index), the rest is the
// data file. Every entry's id, and the id the entry would have in the other
// bank, is looked up and a sentence of the first twenty built.
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "guidance/wave_bank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        std::string dir = fuzzsupport::MakeMemoryFolder("wave_bank_index_fuzz");
        if (!fuzzsupport::MemoryFiles().MakeFolder(dir + "/Wave")) std::abort();
        return dir;
    }();
    if (size < 2) return 0;
    const size_t indexBytes = std::min<size_t>(size - 2, data[0] | (data[1] << 8));
    const uint8_t* index = data + 2;
    const uint8_t* dat = index + indexBytes;
    const size_t datBytes = size - 2 - indexBytes;
    for (const char* bank : {"BaseWave", "ExtendWave"}) {
        fuzzsupport::WriteBytes(root + "/Wave/" + bank + ".idx", index, indexBytes);
        fuzzsupport::WriteBytes(root + "/Wave/" + bank + ".dat", dat, datBytes);
    }
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(root);
    std::vector<uint32_t> ids;
    for (size_t pos = 0; pos + kWaveIndexEntryBytes <= indexBytes && ids.size() < 20; pos += kWaveIndexEntryBytes) {
        WaveIndexEntry entry;
        ReadWaveIndexEntry(index + pos, entry);
        ids.push_back(entry.id);
        // The same entry through the other bank's index: in memory (base)
        // for even entries, on disk (extended) for odd ones.
        ids.push_back(entry.id % 2900 + ((pos / kWaveIndexEntryBytes) % 2 ? 3001 : 101));
    }
    if (ids.size() > 20) ids.resize(20);
    std::vector<uint8_t> sentence;
    if (banks.BuildSentence(ids.data(), ids.size(), sentence)) {
        if (sentence.size() < kWaveHeaderBytes) std::abort();
    }
    return 0;
}
