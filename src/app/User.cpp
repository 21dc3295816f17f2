#include "app/User.h"

bool TUser::HasRight(int) const
{
    return true;
}
