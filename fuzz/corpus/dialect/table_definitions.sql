create table u (id int, code varchar(10) not null, [My Name] nchar(4), grp nvarchar(max), c text collate binary)
