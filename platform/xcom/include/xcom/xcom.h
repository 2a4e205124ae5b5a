// The component runtime, whole: automation types, activation, dispatch tables, connection
// points, component objects, the registry, tokens and the control-window contract.
#pragma once

#include "xcom/automation.h"
#include "xcom/com.h"
#include "xcom/connpoint.h"
#include "xcom/control.h"
#include "xcom/dispatch.h"
#include "xcom/object.h"
#include "xcom/persist.h"
#include "xcom/registry.h"
#include "xcom/tokens.h"
