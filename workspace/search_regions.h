// Search regions: per camera, the part of the picture that Next/Previous
// Activity and the timeline's activity shading look at, in pixels of the
// full-size picture. Every window of a camera shows its camera's region as an
// outline. Kept in the registry under the program's key (sub-key
// SEARCHREGIONS: one REG_SZ "X,Y,W,H" per camera folder). User-interface
// thread only.
#pragma once

#include <map>
#include <string>

#include "activity/activity.h"
#include "workspace/arrangement.h"

class SearchRegions {
 public:
  // The program's key under HKEY_CURRENT_USER; the regions live in its
  // sub-key. Nothing is read or written before this is set.
  void SetKeyPath(const char* path);
  // Replaces the regions held with those stored; a value that is no region
  // is reported and left out.
  void Load();

  // The camera's region; empty when it has none.
  activity::Region Get(const std::string& camera) const;
  // Sets (an empty region: removes) the camera's region and stores it at
  // once, so that it survives however the program ends.
  void Set(const std::string& camera, const activity::Region& region);

 private:
  struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, activity::Region, NoCase> byCamera_;
  std::string keyPath_;
};

// "X,Y,W,H" (as the command line's --region takes it) and back; the parse
// takes a non-empty region inside 0..65535 only.
std::string FormatRegion(const activity::Region& region);
bool ParseRegion(const char* text, activity::Region* out);

// The region a drag between client points (x0, y0) and (x1, y1) covers of a
// picture of pictureWidth x pictureHeight drawn at `drawn`: in pixels of the
// full-size picture, cut to the picture; empty when it covers none of it.
activity::Region RegionOfDrag(const Rect& drawn, int pictureWidth, int pictureHeight, int x0,
                              int y0, int x1, int y1);
// Where a region of the full-size picture lies in the client area when the
// picture is drawn at `drawn`.
Rect ShownRegion(const Rect& drawn, int pictureWidth, int pictureHeight,
                 const activity::Region& region);
