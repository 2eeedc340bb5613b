#pragma once

class uCookieJar;

// The thread that writes the cookies answers set, gathering the answers of a
// moment into one write of each site's file. Started on first use and never
// ended: it uses only jars, which are never destroyed either.
class uGatheredCookieSaves
{
public:
    // The jar is saved soon. Without a thread to be had, it stays due for
    // its next save.
    static void add(uCookieJar* jar);
};
