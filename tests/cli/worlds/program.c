/* A program of either width that imports SAME.DLL and, with NAMES_BOTH, PAIR.DLL and
   ONLY64N.DLL, one call each. */
int same_value(void);
#ifdef NAMES_BOTH
int pair_value(void);
int only_value(void);
#endif

int main(void)
{
#ifdef NAMES_BOTH
    return same_value() + pair_value() + only_value();
#else
    return same_value();
#endif
}
