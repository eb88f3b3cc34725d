// One kind of change of the moire background (mesh, texture or colour scheme) on its own
// timer, and the random draws that choose the next item. Window thread only.
#pragma once

#include <random>

// Seeded with 0 by the background, so a new background repeats the same sequence of choices.
using MoireRandom = std::mt19937;

// A draw from 0 to count - 1: the generator's next value modulo count.
int DrawBelow(MoireRandom& random, int count);

struct SwitchChannel {
  unsigned period;            // seconds between switches
  int current;                // the choice shown
  int previous = -1;          // the choice being left during a transition; -1 when none
  float nextSwitch = 0;       // application time of the next switch; 0 when not yet scheduled
  float transitionStart = 0;  // application time the running transition began; 0 when none

  // Schedules the next switch one period ahead when none is scheduled; otherwise, once its time
  // has passed, starts the switch: previous = current, the transition starts at t and the next
  // switch is cleared (the following call schedules it again). True in the frame of a switch.
  bool Advance(float t);

  // Draws current until it differs from previous (count must be at least 2).
  void ChooseOther(MoireRandom& random, int count);

  // The passage through black of a texture or mesh switch at time t: the factor for every colour
  // component, 1 - x in the first second of the transition, 0 in the second (the new item is
  // chosen once x passes 1), x - 2 in the third; 1 outside a transition. A call at 3 s or later
  // (also after a stall) chooses the new item if that is still to do and ends the transition.
  float PassThroughBlack(float t, MoireRandom& random, int count);
};
