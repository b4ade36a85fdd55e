#pragma once
// Celestial's volume controller. The simulated phone's level starts at 0.75.
class AVController {
 public:
  static AVController* avController();  // the shared controller
  float volume();                       // 0..1
  void setVolume(float level);
};
