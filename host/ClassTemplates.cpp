#include "host/ClassTemplates.h"

#include "editor/EditorPage.h"
#include "host/FilterSetupData.h"
#include "host/TzPlugIn.h"

// Columns: name, class, creation, init routine, filter registration.
const CFactoryTemplate g_Templates[] = {
    {L"Tavrin:zv Delay", &CLSID_ZvDelay, CTzPlugIn::CreateInstance, nullptr, &kFilterSetup},
    {L"Tavrin:zv Delay Property Page", &CLSID_ZvDelayPropertyPage, CTzPlugInPropPage::CreateInstance, nullptr, nullptr},
};

const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
