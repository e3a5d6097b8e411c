// The dispatcher: applies every report the processor sends to the store and the plug model, and
// raises "store changed" with the regions it touched. It is what the transport is handed as its
// report handler, so the link itself never reaches up into the model.
#pragma once

#include "link/Report.h"
#include "link/Transport.h"

// Applies one received report to the store and the companion records.
void HandleReport(const Report& report);

// The link opened (connected flag set) or closed (connected flag and live status cleared).
void OnLinkOpened();
void OnLinkClosed();

// A memory reply of the settings image that reads as never written (0xFF 0xFF first): the store's
// image is then all zeros, not the processor's settings.
bool IsErasedMemoryReply(const Report& report);

// The handlers a transport needs to keep the store current.
LinkHandlers DispatchHandlers();

// The parameter-error message is raised once per run; tests reset it.
void ResetParamErrorShown();
