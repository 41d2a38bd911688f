create table T (A int);
-- a comment
insert into T values (1);
