#include "background/SwitchChannel.h"

int DrawBelow(MoireRandom& random, int count) {
  return static_cast<int>(random() % static_cast<unsigned>(count));
}

bool SwitchChannel::Advance(float t) {
  if (nextSwitch == 0) {
    nextSwitch = t + static_cast<float>(period);
    return false;
  }
  if (!(t > nextSwitch)) return false;
  previous = current;
  transitionStart = t;
  nextSwitch = 0;
  return true;
}

void SwitchChannel::ChooseOther(MoireRandom& random, int count) {
  do {
    current = DrawBelow(random, count);
  } while (current == previous);
}

float SwitchChannel::PassThroughBlack(float t, MoireRandom& random, int count) {
  if (transitionStart == 0) return 1;
  const float x = t - transitionStart;
  if (x > 1 && current == previous) ChooseOther(random, count);
  if (x < 1) return 1 - x;
  if (x < 2) return 0;
  if (x < 3) return x - 2;
  previous = -1;
  transitionStart = 0;
  return 1;
}
