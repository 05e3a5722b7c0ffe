-- Column layouts of the grid services library (libcommDll.so) on the suite's SQL Server
-- database: one row per column of a layout, per layout key and user; LayoutType 'D' default,
-- 'C' the user's current layout. Safe to run again.
if not exists (select * from sysobjects where name = 'tXtGridColumn' and xtype = 'U')
create table tXtGridColumn (
    LayoutKey  varchar(40)  not null,
    UserCode   varchar(6)   not null,
    LayoutType varchar(1)   not null,
    ColNo      int          not null,
    FieldName  varchar(40)  not null default '',
    Title      varchar(100) not null default '',
    Width      int          not null default 64,
    Visible    varchar(1)   not null default '1',
    constraint PK_tXtGridColumn primary key (LayoutKey, UserCode, LayoutType, ColNo)
)
go
