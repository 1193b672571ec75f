#include "tools/make_standins/module_writer.h"

#include <algorithm>

namespace {

// ProTracker's period table, finetune 0, C-1 to B-3.
const std::uint16_t Periods[ModNoteCount] = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};


void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
}

void PutWord(std::vector<std::uint8_t>& out, std::size_t value) {  // big-endian
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

std::size_t StoredLength(const ModSample& s) {
    return std::min(s.data.size(), ModMaxSampleBytes) & ~std::size_t{1};
}

void PutSampleHeader(std::vector<std::uint8_t>& out, const ModSample* s) {
    if (!s) {  // empty slot: the tracker's own convention of a one-word loop
        PutText(out, "", 22);
        PutWord(out, 0);
        out.push_back(0);
        out.push_back(0);
        PutWord(out, 0);
        PutWord(out, 1);
        return;
    }
    const std::size_t length = StoredLength(*s);
    std::size_t loopStart = std::min(s->loopStart & ~std::size_t{1}, length);
    std::size_t loopLength = std::min(s->loopLength & ~std::size_t{1}, length - loopStart);
    PutText(out, s->name, 22);
    PutWord(out, length / 2);
    out.push_back(0);  // finetune
    out.push_back(static_cast<std::uint8_t>(std::clamp(s->volume, 0, 64)));
    if (loopLength < 2) {
        PutWord(out, 0);
        PutWord(out, 1);
    } else {
        PutWord(out, loopStart / 2);
        PutWord(out, loopLength / 2);
    }
}

void PutCell(std::vector<std::uint8_t>& out, const ModCell& c) {
    const std::uint16_t period = c.period & 0x0FFF;
    const std::uint8_t sample = c.sample & 0x1F;
    out.push_back(static_cast<std::uint8_t>((sample & 0xF0) | (period >> 8)));
    out.push_back(static_cast<std::uint8_t>(period & 0xFF));
    out.push_back(static_cast<std::uint8_t>(((sample & 0x0F) << 4) | (c.effect & 0x0F)));
    out.push_back(c.param);
}

}  // namespace

std::uint16_t NotePeriod(int note) {
    return Periods[std::clamp(note, 0, ModNoteCount - 1)];
}

std::vector<std::uint8_t> WriteModule(const ModSong& song) {
    std::vector<std::uint8_t> out;
    PutText(out, song.title, 20);
    for (int i = 0; i < ModSampleSlots; ++i)
        PutSampleHeader(out, i < static_cast<int>(song.samples.size()) ? &song.samples[i] : nullptr);

    // Only as many patterns as the order table can reach are stored.
    const std::size_t orders = std::clamp<std::size_t>(song.order.size(), 1, ModOrderSlots);
    std::uint8_t highest = 0;
    for (std::size_t i = 0; i < orders && i < song.order.size(); ++i)
        highest = std::max(highest, song.order[i]);
    out.push_back(static_cast<std::uint8_t>(orders));  // offset 950
    out.push_back(127);                                // 951: the usual restart byte
    for (int i = 0; i < ModOrderSlots; ++i)            // 952
        out.push_back(i < static_cast<int>(song.order.size()) && i < static_cast<int>(orders) ? song.order[i] : 0);
    PutText(out, "M.K.", 4);  // 1080

    const ModPattern empty{};
    for (int p = 0; p <= highest; ++p) {
        const ModPattern& pattern = p < static_cast<int>(song.patterns.size()) ? song.patterns[p] : empty;
        for (const ModCell& cell : pattern)
            PutCell(out, cell);
    }

    for (int i = 0; i < ModSampleSlots && i < static_cast<int>(song.samples.size()); ++i) {
        const ModSample& s = song.samples[i];
        const std::size_t length = StoredLength(s);
        for (std::size_t k = 0; k < length; ++k)
            out.push_back(static_cast<std::uint8_t>(s.data[k]));
    }
    return out;
}
