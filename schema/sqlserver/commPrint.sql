-- Layouts of the print formats, kept by the print service (libcommPrint.so) on the suite's SQL
-- Server database: one JSON text (UTF-8 bytes) per print type, form key and format number,
-- shared by every workstation. Safe to run again.
if not exists (select * from sysobjects where name = 'tXtPrnLayout' and xtype = 'U')
create table tXtPrnLayout (
    PrnType  varchar(2)     not null,
    PrnCode  varchar(20)    not null,
    SerialNo int            not null,
    Layout   varbinary(max) not null,
    constraint PK_tXtPrnLayout primary key (PrnType, PrnCode, SerialNo)
)
go
