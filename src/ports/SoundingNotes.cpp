#include "SoundingNotes.h"

namespace marovane {

namespace {
constexpr int noteOff = 0x80;
constexpr int noteOn = 0x90;
constexpr int controlChange = 0xB0;
constexpr int allNotesOff = 123;
}  // namespace

void SoundingNotes::track(const ShortMessage& sent) {
    const int kind = sent.status & 0xF0;
    const int channel = sent.status & 0x0F;
    const std::size_t slot = channel * 128 + (sent.data1 & 0x7F);
    if (kind == noteOn && sent.data2 > 0) {
        notes_.set(slot);
    } else if (kind == noteOn || kind == noteOff) {
        notes_.reset(slot);
    } else if (kind == controlChange && sent.data1 == allNotesOff) {
        for (int key = 0; key < 128; ++key) notes_.reset(channel * 128 + key);
    }
}

std::vector<ShortMessage> SoundingNotes::endings() {
    std::vector<ShortMessage> endings;
    for (std::size_t slot = 0; slot < notes_.size(); ++slot) {
        if (notes_.test(slot)) {
            endings.push_back(
                {static_cast<std::int16_t>(noteOn | (slot / 128)), static_cast<std::int16_t>(slot % 128), 0});
        }
    }
    notes_.reset();
    return endings;
}

}  // namespace marovane
