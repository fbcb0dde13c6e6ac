// Ids of the driver's test dialog.
#pragma once

#define TestDialogId 100
#define TestDpiText 101
#define TestAnswerText 102
#define TestMessageButton 103
#define TestLeakButton 104
#define TestDisabledButton 105
#define TestEdit 106
#define TestProbe 107
#define TestProbeClass "DriverTestProbe"
