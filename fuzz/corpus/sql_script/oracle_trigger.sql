create trigger X
begin
  null;
end;
/
select 1 from dual;
