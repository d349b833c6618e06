// Command 13: the firmware update of the box on the link. The box is stopped, its component
// versions are compared with the update list of its type and kernel, the user confirms the
// newer images, each is decrypted, checked and sent, and the box is restarted.
#pragma once

#include "box/box_channel.h"
#include "box/box_identify.h"
#include "support/operation_report.h"

enum class FirmwareOutcome {
    kBoxNotStopped,    // "TerminateAll" failed: nothing else was done, no restart
    kNoVersionReport,  // the box gave no version report
    kNoUpdateList,     // the update list has no image for this box type and kernel
    kUpToDate,         // nothing newer
    kDeclined,         // the user did not confirm
    kUpdated,          // every image to update was sent
    kImageFailed,      // an image could not be prepared or sent; the rest were not tried
};

// Stops the box, checks and (after the user's Yes) updates, restarts; returns what happened.
FirmwareOutcome UpdateBoxFirmware(CBoxChannel& channel, IOperationReport& report,
                                  const CBoxTypeRecord& record);

// Detection, confirmation and the image updates, on a stopped box; no restart.
FirmwareOutcome CheckAndUpdateFirmware(CBoxChannel& channel, IOperationReport& report,
                                       const CBoxTypeRecord& record);

// "box-not-stopped", "no-version-report", "no-update-list", "up-to-date", "declined",
// "updated", "image-failed".
const char* FirmwareOutcomeName(FirmwareOutcome eOutcome);
