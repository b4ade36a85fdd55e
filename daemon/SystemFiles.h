#pragma once
// Makes sure the system preference files the switcher edits exist, and that the application
// bundle holds its copies of the sound behaviour list and the SMS sound.
void prepareSystemFiles();
