// Builds the handler of each input mode.
#include "Game/BallControlHandler.h"
#include "Game/BubbleControlHandler.h"
#include "Game/CanoeControlHandler.h"
#include "Game/CantileverControlHandler.h"
#include "Game/ControlHandler.h"
#include "Game/DialogChoiceControlHandler.h"
#include "Game/FigmentControlHandler.h"
#include "Game/LadderControlHandler.h"
#include "Game/MenuControlHandler.h"
#include "Game/PlayerControlHandler.h"
#include "Game/PoleControlHandler.h"
#include "Game/ProfileControlHandler.h"
#include "Game/PsackControlHandler.h"
#include "Game/RailControlHandler.h"
#include "Game/ScriptControlHandler.h"
#include "Game/SelectionControlHandler.h"
#include "Game/SlideshowControlHandler.h"
#include "Game/TKControlHandler.h"
#include "Game/TightropeControlHandler.h"
#include "Game/TrapezeControlHandler.h"
#include "Game/WallControlHandler.h"
#include "TWUtil/ErrorManager.h"

EControlHandler* EControlHandlerFactory::Create(GameApp* pApp, int iType) {
  EControlHandler* pHandler = nullptr;
  switch (iType) {
    case kCONTROL_PLAYER: pHandler = new EPlayerControlHandler(pApp); break;
    case kCONTROL_BUBBLE: pHandler = new EBubbleControlHandler(pApp); break;
    case kCONTROL_PSACK: pHandler = new EPsackControlHandler(pApp); break;
    case kCONTROL_BALL: pHandler = new EBallControlHandler(pApp); break;
    case kCONTROL_TRAPEZE: pHandler = new ETrapezeControlHandler(pApp); break;
    case kCONTROL_CANTILEVER: pHandler = new ECantileverControlHandler(pApp); break;
    case kCONTROL_POLE: pHandler = new EPoleControlHandler(pApp); break;
    case kCONTROL_TIGHTROPE2: pHandler = new ETightropeControlHandler(pApp); break;
    case kCONTROL_TELEKINESIS: pHandler = new ETKControlHandler(pApp); break;
    case kCONTROL_WALL: pHandler = new EWallControlHandler(pApp); break;
    case kCONTROL_CANOE: pHandler = new ECanoeControlHandler(pApp); break;
    case kCONTROL_SCRIPT: pHandler = new EScriptControlHandler(pApp); break;
    case kCONTROL_PROFILE: pHandler = new EProfileControlHandler(pApp); break;
    case kCONTROL_SELECTION: pHandler = new ESelectionControlHandler(pApp); break;
    case kCONTROL_DIALOGCHOICE: pHandler = new EDialogChoiceControlHandler(pApp); break;
    case kCONTROL_LADDER: pHandler = new ELadderControlHandler(pApp); break;
    case kCONTROL_RAIL: pHandler = new RailControlHandler(pApp); break;
    case kCONTROL_SLIDESHOW: pHandler = new ESlideshowControlHandler(pApp); break;
    case kCONTROL_MENU: pHandler = new EMenuControlHandler(pApp); break;
    case kCONTROL_FIGMENT: pHandler = new EFigmentControlHandler(pApp); break;
    default: g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "0", false); return nullptr;
  }
  pHandler->m_eType = pHandler->Type();
  pHandler->m_pszName = pHandler->Name();
  return pHandler;
}
