#pragma once

// Ids of the resources embedded in the launcher, read by the resource
// compiler (artwork.rc) and by the code (ui/images.h).
#define IDI_LAUNCHER 101      // icon group, 16, 32 and 48 pixels
#define IDR_BACKDROP 102      // the window's background with the notes panel
#define IDR_DISCORD_TILE 103  // the icon tiles, one per button
#define IDR_LOGIN_TILE 104    // the game's emblem
#define IDR_FACEBOOK_TILE 105
#define IDR_SETTINGS_TILE 106  // document symbol
#define IDR_EULA_TILE 107      // certificate symbol
