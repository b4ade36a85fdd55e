#pragma once

// Reads the user's nine sound switches (a missing one counts as on), gives a vibration cue and
// runs the silence procedure with them.
void change();
