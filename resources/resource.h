// Resource ids: one block per menu, dialog and picture.
#pragma once
