-- Column layouts of the suite's grids, kept by the grid services library (libcommDll.so): one row
-- per column of a layout, per layout key (the list form's key) and user. LayoutType 'D' is the
-- designed layout, saved as the default whenever the form is shown; 'C' is the user's current
-- layout, restored at show and saved at close. ColNo is the column's place, from 1.
CREATE TABLE tXtGridColumn (
    LayoutKey  VARCHAR(40)  COLLATE NOCASE NOT NULL,
    UserCode   VARCHAR(6)   COLLATE NOCASE NOT NULL,
    LayoutType VARCHAR(1)   COLLATE NOCASE NOT NULL,
    ColNo      INTEGER      NOT NULL,
    FieldName  VARCHAR(40)  COLLATE NOCASE NOT NULL DEFAULT '',
    Title      VARCHAR(100) COLLATE NOCASE NOT NULL DEFAULT '',
    Width      INTEGER      NOT NULL DEFAULT 64,
    Visible    VARCHAR(1)   COLLATE NOCASE NOT NULL DEFAULT '1',
    PRIMARY KEY (LayoutKey, UserCode, LayoutType, ColNo)
);
