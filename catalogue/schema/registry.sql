-- The account registry DoDar.mdb: the account sets and the version records,
-- in Access (Jet) types, one statement per table.
-- Each statement ends with a line holding only ";".

-- The account sets: folder (Access) or database (SQL Server) name, display name, kind, server and creation date.
CREATE TABLE Act_DODar (
  ID         COUNTER,
  ActName    TEXT(50),
  ActCaption TEXT(100),
  ActType    LONG,
  ServerName TEXT(100),
  CreateDate DATETIME
)
;

-- Version records of the suite: a name, a file name, a version text and a picture.
CREATE TABLE VersionInfor (
  sName     TEXT(50),
  sFileName TEXT(50),
  sVersion  TEXT(50),
  pict      OLEOBJECT,
  S1        CHAR(50),
  S2        CHAR(50),
  F1        DOUBLE,
  F2        DOUBLE,
  CONSTRAINT PK_VersionInfor PRIMARY KEY (sName)
)
;
