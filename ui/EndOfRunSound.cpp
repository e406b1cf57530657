#include "ui/EndOfRunSound.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace kalvero {

namespace {
std::function<void()>& standIn() {
  static std::function<void()> f;
  return f;
}
constexpr int kPlayCount = 3;
constexpr int kLongestWaitMs = 6000;  // three playbacks of the short sound, with room to spare
}  // namespace

void setEndOfRunSoundForTests(std::function<void()> f) { standIn() = std::move(f); }

void playEndOfRunSound(QObject* parent, std::function<void()> done) {
  if (standIn()) {
    standIn()();
    done();
    return;
  }
  if (QMediaDevices::audioOutputs().isEmpty()) {
    done();
    return;
  }
  auto* effect = new QSoundEffect(parent);
  // One finish for every way the sound can end (played, failed, taking too long).
  auto finished = std::make_shared<bool>(false);
  auto finish = [effect, finished, done] {
    if (*finished) return;
    *finished = true;
    effect->stop();
    effect->deleteLater();
    done();
  };
  QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect, finish] {
    if (effect->status() == QSoundEffect::Error) finish();
    if (effect->status() == QSoundEffect::Ready && !effect->isPlaying()) effect->play();
  });
  QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect, finish] {
    if (!effect->isPlaying() && effect->loopsRemaining() == 0) finish();
  });
  QTimer::singleShot(kLongestWaitMs, effect, finish);
  effect->setLoopCount(kPlayCount);
  effect->setSource(QUrl(QStringLiteral("qrc:/kalvero/sounds/ende.wav")));
  if (effect->status() == QSoundEffect::Ready) effect->play();
}

}  // namespace kalvero
