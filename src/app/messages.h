// The program's own window messages: every number the engine posts or sends, in one list.
#pragma once

#include <cstdint>

constexpr uint32_t UM_LOG_LINE = 32873;            // wParam: the line (const char16_t*), owned by the log
constexpr uint32_t UM_STATUS_TEXT = 32874;         // sent; wParam: string number
constexpr uint32_t UM_FS_PASS_FINISHED = 32875;
constexpr uint32_t UM_SECTOR_PASS_FINISHED = 32876;
constexpr uint32_t UM_ANALYSIS_FINISHED = 32879;   // wParam: the volume
constexpr uint32_t UM_BLOCK_SCANNED = 32980;
constexpr uint32_t UM_IMAGE_COPY_ERROR = 32982;
constexpr uint32_t UM_IMAGE_COPY_FINISHED = 32983;
constexpr uint32_t UM_VIEW_KEY = 33070;           // wParam: the virtual key, lParam: the control
constexpr uint32_t UM_START_RECOVERY = 33073;
constexpr uint32_t UM_TOGGLE_MARK = 33080;         // lParam: the tree item
constexpr uint32_t UM_VIEW_FOCUS = 33082;          // wParam: the control that got the focus
constexpr uint32_t UM_SEARCH_START = 33083;
constexpr uint32_t UM_SEARCH_END = 33084;
constexpr uint32_t UM_FOUND_OBJECT = 33268;        // wParam: the object, lParam: the event
constexpr uint32_t UM_CURRENT_OBJECT_CHANGED = 33269;
constexpr uint32_t UM_FOUND_VOLUME_ADDED = 33270;  // wParam: the volume
constexpr uint32_t UM_DEVICE_CHANGE = 33274;       // wParam, lParam of WM_DEVICECHANGE
