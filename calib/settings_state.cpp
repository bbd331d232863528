#include "calib/settings_state.h"

#include <algorithm>

namespace km {

SettingsState::SettingsState() {
  const std::pair<int, const char*> defaults[] = {
      {1, "1.8"},    {2, "0.5"},   {3, "0.5"},    {4, "30"},     {5, "1096"},  {6, "796"},
      {7, "1089"},   {8, "995"},   {9, "934"},    {10, "1013"},  {11, "925"},  {12, "1236"},
      {13, "739"},   {14, "1290"}, {15, "1080"},  {16, "1366"},  {17, "-3"},   {18, "0"},
      {19, "-13"},   {20, "0"},    {21, "-13"},   {22, "-10"},   {23, "-23"},  {24, "-10"},
      {25, "-23"},   {26, "-20"},  {27, "-31"},   {33, "20"},
  };
  for (const auto& [n, text] : defaults) edits[n].text = text;
}

bool SetRadioIndex(RadioField& group, int value) {
  const int clamped = std::clamp(value, -1, group.itemCount - 1);
  if (clamped == group.index) return false;
  group.index = clamped;
  return true;
}

void ApplyModeColours(SettingsState& s) {
  EditColour step, slide, centre;
  switch (s.RadioGroup2.index) {
    case kModeRotation:
      step = EditColour::Window, slide = EditColour::Border, centre = EditColour::Window;
      break;
    case kModeSlide:
      step = EditColour::Border, slide = EditColour::Window, centre = EditColour::Border;
      break;
    case kModeScan:
      step = EditColour::Border, slide = EditColour::Border, centre = EditColour::Border;
      break;
    default:
      return;
  }
  s.Edit(1).colour = step;
  s.Edit(2).colour = slide;
  s.Edit(15).colour = centre;
  s.Edit(16).colour = centre;
  s.Edit(27).colour = centre;
}

}  // namespace km
