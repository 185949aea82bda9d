select distinct left(name, 2), count(distinct upper(memo)) from fd_doc d join fd_line l on l.parentoid = d.coid where d.code not in ('a ', N'B', ?) and d.code <= $1 and 'x' = d.memo group by name
