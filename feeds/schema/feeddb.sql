-- The empty list database: the template copied for every new subscription
-- list. The build turns this file into template/default.mdb beside the
-- program. Statements end with ";" at the end of a line; "--" starts a
-- comment line.
--
-- Column positions matter: the feed store reads "select *" rows by position.
-- Keys are the duplicate rule: a second item, enclosure, image or icon with a
-- key that is stored already is refused. Titles compare without regard to
-- case; addresses compare exactly.

CREATE TABLE channel (
    feed TEXT NOT NULL PRIMARY KEY,
    description TEXT,
    title TEXT COLLATE NOCASE,
    copyright TEXT,
    generator TEXT,
    [language] TEXT,
    lastbuilddate TEXT,
    ttl INTEGER NOT NULL DEFAULT 0,
    webmaster TEXT,
    attributes INTEGER NOT NULL DEFAULT 0,
    [image] BOOLEAN NOT NULL DEFAULT 0,
    icon BOOLEAN NOT NULL DEFAULT 0,
    -- A new subscription counts as updated when it was stored, so that it
    -- becomes due once its ttl has passed.
    lastupdate DATETIME DEFAULT (datetime('now', 'localtime'))
);

CREATE TABLE item (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    title TEXT COLLATE NOCASE,
    link TEXT NOT NULL UNIQUE,
    description TEXT,
    pubdate TEXT,
    author TEXT,
    category TEXT,
    subject TEXT,
    readstatus INTEGER NOT NULL DEFAULT 0,
    enclosure BOOLEAN NOT NULL DEFAULT 0,
    feed TEXT,
    content TEXT,
    createdate DATETIME DEFAULT (date('now', 'localtime')),
    attributes INTEGER NOT NULL DEFAULT 0
);

CREATE INDEX item_feed ON item (feed);

-- feed is the link of the item the enclosure belongs to.
CREATE TABLE enclosure (
    feed TEXT NOT NULL,
    link TEXT NOT NULL UNIQUE,
    length INTEGER NOT NULL DEFAULT 0,
    type TEXT,
    localfile TEXT NOT NULL DEFAULT ''
);

CREATE INDEX enclosure_feed ON enclosure (feed);

CREATE TABLE [image] (
    feed TEXT NOT NULL PRIMARY KEY,
    link TEXT,
    title TEXT COLLATE NOCASE,
    description TEXT,
    url TEXT,
    width INTEGER NOT NULL DEFAULT 0,
    height INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE icon (
    feed TEXT NOT NULL PRIMARY KEY,
    link TEXT,
    localfile TEXT
);
