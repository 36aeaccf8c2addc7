#include "store/minute_frame_list.h"
FrameListView::~FrameListView() = default; MinuteFrameList::MinuteFrameList() = default; MinuteFrameList::~MinuteFrameList() = default;
