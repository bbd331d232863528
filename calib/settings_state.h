#pragma once
// The settings window's controls as the logic sees them. Every operation
// converts the texts it needs at the moment it runs; nothing is cached.

#include <array>
#include <string>

namespace km {

enum class EditColour { Window, Border };

struct EditField {
  std::string text;
  EditColour colour = EditColour::Window;
};

// A radio group: item index (0-based, -1 when nothing is selected).
struct RadioField {
  int index = 0;
  int itemCount = 0;
};

struct SettingsState {
  // Edit1 .. Edit33 (index 0 unused; Edit28 does not exist on the window).
  std::array<EditField, 34> edits;
  RadioField RadioGroup1{2, 5};  // Output mode: VRML1, VRML2, DXF, MQO, RAW CSV
  RadioField RadioGroup2{0, 3};  // Mode: Rotation, Slide, Scan
  RadioField RadioGroup3{0, 2};  // Lighting: Slit, Step
  bool CheckBox1 = false;        // light tilt correction (ticked by the solve in Scan mode)
  bool CheckBox3 = true;         // Filter
  bool CheckBox4 = true;         // face front

  SettingsState();  // every control at its design default

  EditField& Edit(int n) { return edits.at(n); }
  const EditField& Edit(int n) const { return edits.at(n); }
};

enum Mode { kModeRotation = 0, kModeSlide = 1, kModeScan = 2 };
enum Lighting { kLightingSlit = 0, kLightingStep = 1 };
enum OutputMode { kOutputVrml1 = 0, kOutputVrml2 = 1, kOutputDxf = 2, kOutputMqo = 3, kOutputCsv = 4 };

// Sets a radio group's index as a program does: clamps to -1 .. itemCount-1
// and returns true when the index changed (the caller then runs the group's
// click handler, if it has one).
bool SetRadioIndex(RadioField& group, int value);

// Colours Edit1, Edit2, Edit15, Edit16 and Edit27 by the Mode index
// (unchanged when no Mode item is selected).
void ApplyModeColours(SettingsState& settings);

}  // namespace km
