#pragma once
// The end-of-run sound: the program's own short WAV, three times in a row.
#include <QObject>
#include <functional>

namespace kalvero {

// Starts the sound and calls done() once when it has ended; at once when
// there is no audio output or the sound cannot be loaded.
void playEndOfRunSound(QObject* parent, std::function<void()> done);
// Tests put a stand-in in place of the sound (called instead of playing);
// an empty function restores the real one.
void setEndOfRunSoundForTests(std::function<void()> standIn);

}  // namespace kalvero
