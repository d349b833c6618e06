// Commands that control the box itself: its light, stopping it before files are written, and
// restarting it.
#pragma once

#include "box/box_channel.h"
#include "support/operation_report.h"

// Command 18: "Light\r", no reply read. True when the command went out.
bool FlashBoxLight(CBoxChannel& channel, IOperationReport& report);

// "TerminateAll\r"; on success also deletes the box's modem log. False (with its line) when the
// box did not stop: nothing may then be written to it.
bool StopBox(CBoxChannel& channel, IOperationReport& report, CReplyBuffer* pReply);

// "reset\r"; the reply, when a buffer is given, is read but never examined. The line
// "reboot_zelvo" is written only when bAnnounce is set. Returns the exchange's result; without a
// reply buffer that is whether the command went out.
bool RestartBox(CBoxChannel& channel, IOperationReport& report, CReplyBuffer* pReply,
                bool bAnnounce);

// Ends a write to the box: announces and sends the restart, writes "detect_zelvo_failed" when
// bReportLostBox is set, keeps the page disabled and waits the restart pause.
void RestartAfterWrite(CBoxChannel& channel, IOperationReport& report, bool bReportLostBox);
