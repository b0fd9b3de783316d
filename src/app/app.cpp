#include "app/app.h"

CApp* g_pApp = nullptr;

CApp::CApp() = default;
CApp::~CApp() = default;
